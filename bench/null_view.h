#pragma once
// A view that shows nothing: the benchmarks time the engines, not a window.
#include <string>

#include "laminator/laminator_view.h"

class NullView : public LaminatorView {
  public:
    void SetParamCell(const std::string&, int, const std::string&) override {}
    std::string GetParamCell(int) const override { return {}; }
    void EnableButton(int, bool) override {}
    bool IsButtonEnabled(int) const override { return false; }
    void SetControlText(int, const std::string&) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int) override {}
    int GetProgressPosition() const override { return 0; }
    void RunRead() override {}
};
