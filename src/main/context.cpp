#include "main/context.h"

run_context ctx;
