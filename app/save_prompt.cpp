#include "app/save_prompt.h"
#include "app/startup.h"

void confirm_exit() { run_state = RUN_END; }
