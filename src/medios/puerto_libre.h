#pragma once
// A free TCP port of the loopback interface for a local server of ours.

namespace sorvenia::VideoEnDirecto {

// The first of `desde`, `desde` + 1, ... (200 ports in all, none above 65535)
// that an IPv4 socket can bind on 127.0.0.1 right now; `desde` itself when
// none can. The port is not held: another program may take it before the
// caller uses it.
int puertoLibre(int desde);

}  // namespace sorvenia::VideoEnDirecto
