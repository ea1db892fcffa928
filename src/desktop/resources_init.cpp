#include "desktop/resources_init.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerVelkoraResources() { Q_INIT_RESOURCE(velkora); }

namespace velkora {

void initResources() {
  static const bool registered = (registerVelkoraResources(), true);
  (void)registered;
}

}  // namespace velkora
