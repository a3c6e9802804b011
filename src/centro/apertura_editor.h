#pragma once
// AperturaEditor: what the hub and the job registry ask of the window's
// navigation, which sits above them: to show the editor on a saved design,
// or on a new blank web page. The navigation fills it in; the hub knows
// nothing else of the window.

#include <string>

namespace sorvenia {

class AperturaEditor {
public:
    virtual ~AperturaEditor() = default;

    // The editor on the account's design `id`.
    virtual void abrirDiseno(const std::string& id) = 0;
    // The editor on a new design with one empty web page.
    virtual void crearDisenoWeb() = 0;

protected:
    AperturaEditor() = default;
    AperturaEditor(const AperturaEditor&) = default;
    AperturaEditor& operator=(const AperturaEditor&) = default;
};

}  // namespace sorvenia
