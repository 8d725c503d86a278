// Resources of a static library are only linked in when something asks for them, and the
// initialiser has to be named from the global namespace.
#include <QtGlobal>

static void initLumoraAppResources() { Q_INIT_RESOURCE(lumora_app); }

namespace lumora {
void initAppResources() { initLumoraAppResources(); }
}  // namespace lumora
