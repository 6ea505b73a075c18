#pragma once
// A past period's readings as the status history code takes them: a reading as taken stays
// one sample; a thinned minute or hour becomes two, its lowest and its highest (in the
// order its last value suggests, at a quarter and three quarters of the span), both with
// its last state, so a chart, the warm-up figures and a summary see the span's extremes
// rather than only where it ended.
#include <vector>

#include "journal/journal_records.h"

std::vector<StatusSample> HistoryOfReadings(const std::vector<StoredReading>& readings);
