#include "KvDevice.h"
