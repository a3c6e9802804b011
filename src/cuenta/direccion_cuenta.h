#pragma once
// Addresses on the account site: whether a text is an absolute URL, its
// host, and the API endpoint "<base>/api/v1/tarvel" with its query.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sorvenia {

// Query items in the order given; values are percent-encoded as a query
// needs ("+", "&", "=" and "#" included).
using ConsultaCuenta = std::vector<std::pair<std::string, std::string>>;

namespace direccion {

// An absolute URL (with a scheme).
bool esURL(const std::string& texto);

// The host of an absolute URL; nothing when it is not one or has no host.
std::optional<std::string> host(const std::string& url);

// `base` with the path component "api/v1/tarvel" appended (a "/" between
// them when `base` does not end with one) and, when `consulta` is not empty,
// the query replaced by its items; an empty one adds no "?". Nothing when
// `base` is not an absolute URL.
std::optional<std::string> endpoint(const std::string& base, const ConsultaCuenta& consulta);

}  // namespace direccion
}  // namespace sorvenia
