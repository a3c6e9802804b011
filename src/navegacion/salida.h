#pragma once
// Quitting without losing work: the editors with changes not yet uploaded
// (the open one and those kept alive by agent jobs) get their final save,
// and the application goes on quitting as soon as all have ended, or after
// five seconds, whichever comes first. What a save could not upload in time
// is left on this computer as a local copy.

#include <functional>
#include <memory>
#include <vector>

namespace sorvenia {

class EditorModelo;
class Proceso;

// The editors quitting must wait for: the job registry's, in its order,
// then the hub's open editor, then the closed editors still uploading their
// last change, each once.
std::vector<std::shared_ptr<EditorModelo>> editoresPorGuardar();

// Starts the final save of each editor and calls `seguir` exactly once:
// when every save has ended, or `limite` seconds after the call. At once
// when the list is empty. Main thread.
void guardarAntesDeSalir(std::vector<std::shared_ptr<EditorModelo>> editores, double limite,
                         std::function<void()> seguir);

// The agents still working on designs, each once.
std::vector<std::shared_ptr<Proceso>> agentesEnMarcha();

// Stops the agents so that none outlives the application: SIGTERM to each
// agent's process group now, then, once every leader has ended or `gracia`
// seconds have passed, SIGKILL to each group (what ignored the first signal,
// or was left behind by its leader, goes too), then `seguir`, exactly once.
// At once when the list is empty. Main thread.
void pararAgentesAntesDeSalir(std::vector<std::shared_ptr<Proceso>> agentes, double gracia,
                              std::function<void()> seguir);

}  // namespace sorvenia
