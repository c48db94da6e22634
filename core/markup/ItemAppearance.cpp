#include "core/markup/ItemAppearance.h"

#include <utility>

namespace quillet {

ItemAppearance ItemAppearance::fromCommands(std::vector<DrawCommand> commands) {
    ItemAppearance result;
    result.bounds = boundsOf(commands);
    result.commands = std::move(commands);
    return result;
}

Rect ItemAppearance::boundsOf(const std::vector<DrawCommand>& commands) {
    Rect united = Rect::null();
    for (const DrawCommand& command : commands) united = united.united(command.paintedBounds());
    if (united.isNull()) return {};
    return united.integral();
}

}  // namespace quillet
