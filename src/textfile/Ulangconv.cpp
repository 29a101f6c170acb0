#include "textfile/Ulangconv.h"
