// The program entry of Sorvenia Code and of its test build (which adds the
// file-driven test channel).

#include "app/sorvenia_tarvel_app.h"
#include "plataforma/identidad.h"

#ifdef SORVENIA_CANAL_PRUEBAS
#include "app/canal_pruebas/canal.h"
#endif

int main(int argc, char** argv) {
    sorvenia::fijarIdAplicacion(SORVENIA_ID_APLICACION);
#ifdef SORVENIA_CANAL_PRUEBAS
    sorvenia::CanalPruebas::activar();
#endif
    sorvenia::SorveniaTarvelApp app;
    return app.correr(argc, argv);
}
