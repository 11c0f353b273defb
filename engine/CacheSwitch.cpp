#include "engine/GestalEng.h"

namespace GestalPrivate {

// Compiled twice: into the library, and with GESTAL_UNCACHED into libgestal_uncached, the same
// library keeping no cache, which the benchmark compares it with.
#ifdef GESTAL_UNCACHED
Caching GestalEng::newEngineCaching = Caching::Off;
#else
Caching GestalEng::newEngineCaching = Caching::On;
#endif

}  // namespace GestalPrivate
