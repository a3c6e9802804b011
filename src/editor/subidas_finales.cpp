#include "editor/subidas_finales.h"

#include <algorithm>

#include "centro/editor_modelo.h"

namespace sorvenia::SubidasFinales {
namespace {

std::vector<std::shared_ptr<EditorModelo>>& editores() {
    static std::vector<std::shared_ptr<EditorModelo>> lista;
    return lista;
}

}  // namespace

void anotar(std::shared_ptr<EditorModelo> editor) {
    auto& todos = editores();
    if (editor && std::ranges::find(todos, editor) == todos.end()) todos.push_back(std::move(editor));
}

void quitar(const EditorModelo& editor) {
    std::erase_if(editores(), [&](const std::shared_ptr<EditorModelo>& e) { return e.get() == &editor; });
}

std::vector<std::shared_ptr<EditorModelo>> lista() { return editores(); }

}  // namespace sorvenia::SubidasFinales
