#pragma once
// Choosing a Laminate Menu in the list sends it at once, then re-reads the parameters.
#include <string>

#include "laminator/laminator_view.h"

// The list's latest choice. Every sender sends the choice current when it gets the link,
// so however several quick choices' senders interleave, the last one made is the last sent.
void SetSelectedLaminateMenu(const std::string& menu);
std::string SelectedLaminateMenu();

// Worker procedure: the menu exchange, then a full parameter read on this thread, over
// Ethernet when that link is in use, else over USB while the port is active. Returns 1.
int SendLaminateMenu(LaminatorView* view);
