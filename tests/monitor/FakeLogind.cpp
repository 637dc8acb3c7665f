#include "FakeLogind.h"
