// Compiled with what sfxpkg links, to show that the launcher's extraction with its
// boxes is out of sfxpkg's reach: this include must not be found.
#include "package_extraction/fatal_error.h"
