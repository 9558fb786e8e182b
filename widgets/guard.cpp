#include "guard.h"

#include "interaction.h"
#include "base/error.h"
#include "base/progress.h"

#include <exception>

namespace tolva {

bool guard(Interaction &interaction, QWidget *parent, const std::function<void()> &handler)
{
    try {
        if (handler)
            handler();
        return true;
    } catch (const Error &e) {
        interaction.error(parent, e.text());
    } catch (const Cancelled &) {
        // The person stopped it; the computation left the tables as they were.
    } catch (const std::exception &e) {
        interaction.error(parent, QStringLiteral("程序出错：") + QString::fromLocal8Bit(e.what()));
    } catch (...) {
        interaction.error(parent, QStringLiteral("程序出错，操作未完成。"));
    }
    return false;
}

} // namespace tolva
