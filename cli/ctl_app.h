#pragma once
// pellacorctl's command line: the targets, --json, and one subcommand. Returns the exit
// status.
class StderrMessageSink;

int RunPellacorctl(int argc, char** argv, StderrMessageSink& messages);
