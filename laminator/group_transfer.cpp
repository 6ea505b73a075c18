#include "laminator/group_transfer.h"

#include <algorithm>
#include <optional>
#include <string>

#include "laminator/catalogue.h"
#include "laminator/link_exchange.h"
#include "laminator/model_workers.h"
#include "laminator/param_store.h"
#include "laminator/read_engine.h"
#include "laminator/validation.h"
#include "laminator/write_engine.h"

bool ReadGroup(LaminatorView& view, std::string_view group) {
    const std::optional<LinkKind> link = LinkInUse();
    if (!link)
        return false;
    SetCurrentGroup(std::string(group));
    const std::vector<const ParameterInfo*> params = GroupParameters(group);
    for (const ParameterInfo* p : params)
        Store().ForgetRead(p->key);
    if (*link == LinkKind::Ethernet)
        NetParameterReader(&view);
    else
        UsbParameterReader(&view);
    ModelReadWorker(&view);
    return std::all_of(params.begin(), params.end(),
                       [](const ParameterInfo* p) { return Store().WasRead(p->key); });
}

bool ReadAllGroups(LaminatorView& view) {
    for (std::string_view group : GroupNames()) {
        if (!ReadGroup(view, group))
            return false;
    }
    return true;
}

GroupWriteResult WriteGroup(LaminatorView& view, std::string_view group) {
    const std::optional<LinkKind> link = LinkInUse();
    if (!link)
        return GroupWriteResult::NoLink;
    SetCurrentGroup(std::string(group));
    if (!ValidateParameters(view))
        return GroupWriteResult::Refused;
    // The window's order: over USB the model name goes first, over Ethernet the parameters.
    if (*link == LinkKind::Ethernet) {
        NetParameterWriter(&view);
        ModelWriteWorker(&view);
    } else {
        ModelWriteWorker(&view);
        UsbParameterWriter(&view);
    }
    return GroupWriteResult::Written;
}

GroupWriteResult WriteGroupRows(LaminatorView& view, std::string_view group,
                                const std::set<int>& rows) {
    const std::optional<LinkKind> link = LinkInUse();
    if (!link)
        return GroupWriteResult::NoLink;
    SetCurrentGroup(std::string(group));
    if (!ValidateParameters(view))
        return GroupWriteResult::Refused;
    const bool name =
        group == kGroupLaminatorInfo && rows.count(Parameter(ParamKey::LaminatorModel).row) != 0;
    if (*link == LinkKind::Ethernet) {
        WriteParameterRows(view, *link, rows);
        if (name && !view.StopRequested())
            ModelWriteWorker(&view);
    } else {
        if (name)
            ModelWriteWorker(&view);
        if (!view.StopRequested())
            WriteParameterRows(view, *link, rows);
    }
    return GroupWriteResult::Written;
}
