#include "CVelmoraDoc.h"
