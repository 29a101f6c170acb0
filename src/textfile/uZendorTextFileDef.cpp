#include "textfile/uZendorTextFileDef.h"
