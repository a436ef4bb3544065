#pragma once
// Checked by the include-direction test as if it lay in protocol/: the test
// must fail on it, which proves that it reads the table and the files.
#include "project/project_state.h"
