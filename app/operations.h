#pragma once
// The laminator operations the main window starts.
#include "app/resources.h"
#include "laminator/laminate_menu_sender.h"
#include "laminator/model_workers.h"
#include "laminator/poll_control.h"
#include "laminator/read_engine.h"
#include "laminator/status_poller.h"
#include "laminator/validation.h"
#include "laminator/write_engine.h"
