// The growable arrays live with the model, which keeps one too.
#pragma once

#include "core/grow_array.h"
