#include "dbf/uDBF.h"
