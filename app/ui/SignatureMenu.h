// The menu of the signature tool: one entry per saved signature (its
// thumbnail, checked when it is the editor's current one), a "Delete
// Signature" submenu with the same entries, and "Create New Signature…".
// Built afresh every time it is shown, so it always lists the library as it is.
#pragma once

#include <QMenu>
#include <functional>
#include <optional>

#include "app/ui/SignatureLibrary.h"

namespace quillet {

struct SignatureMenuActions {
    std::function<void(const UUID&)> pick;
    std::function<void(const UUID&)> remove;
    std::function<void()> create;
};

class SignatureMenu {
  public:
    // Fills `menu` (emptied first).
    static void build(QMenu& menu, const SignatureLibrary& library, const std::optional<UUID>& current,
                      const SignatureMenuActions& actions);

    // What the editor's current signature becomes after `removed` was deleted
    // from the library: unchanged unless it was the removed one, then the
    // newest remaining signature, or none.
    static std::optional<UUID> currentAfterRemoval(const SignatureLibrary& library,
                                                   const std::optional<UUID>& current, const UUID& removed);
};

}  // namespace quillet
