// SkinSelection of the plug-in object.
#include "VrelBazzit.h"
