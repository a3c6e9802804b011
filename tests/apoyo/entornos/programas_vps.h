#pragma once
// Stand-ins for what an app deployment must not run on the test machine,
// written into the `programas` folder of a test root (sshd_prueba.h), which
// comes first on the sessions' PATH:
//   systemctl  logs each call to systemctl.log; "restart <unit>" stops the
//              unit's earlier run and starts its ExecStart in its
//              WorkingDirectory with its Environment, as a session of its own
//              whose id goes to <unit>.pid (its output to <unit>.log);
//              "is-active" looks at that process
//   nginx      logs its arguments to nginx.log and succeeds
//   certbot    logs its arguments to certbot.log and succeeds
// and links to the Node.js 22 and npm of `nodeApps` (apoyo/node_apps).

#include <filesystem>

namespace sorvenia::prueba {

void escribirProgramasVPS(const std::filesystem::path& programas, const std::filesystem::path& nodeApps);

// Stops the apps the stand-in systemctl started (each <unit>.pid's session).
void pararAppsVPS(const std::filesystem::path& programas);

}  // namespace sorvenia::prueba
