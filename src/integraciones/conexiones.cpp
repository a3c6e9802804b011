#include "integraciones/conexiones.h"

namespace sorvenia {

// No connection or key store exists yet: nothing to hand over.
Conexiones::ParaClaude Conexiones::paraClaude() { return {}; }
Conexiones::ParaCodex Conexiones::paraCodex() { return {}; }
Entorno Integraciones::entorno() { return {}; }

}  // namespace sorvenia
