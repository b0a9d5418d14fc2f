#pragma once
// A shell header that includes the application: the source rules must refuse it.
#include "app/Controls.h"
