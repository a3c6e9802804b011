#pragma once
// A stored design document the editor tests open: two mesas, a web page
// with two sections and a phone-sized contact page.

#include <nlohmann/json.hpp>

namespace sorvenia::prueba {

nlohmann::json disenoGuardado();

}  // namespace sorvenia::prueba
