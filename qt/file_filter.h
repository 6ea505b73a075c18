#pragma once
// File-open filters: "(label)|pattern|label2|pattern2||" as our dialogs write them, in the
// "label (pattern);;label2 (pattern2)" form QFileDialog takes.
#include <QString>
#include <string>

QString ToQtFileFilter(const std::string& filter);
