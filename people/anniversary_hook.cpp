#include "anniversary_hook.h"

#include <utility>

namespace people {
namespace {
AnniversaryOpener& opener() {
    static AnniversaryOpener o;
    return o;
}
}  // namespace

void OpenAnniversaryEditor(MainView& view, QWidget* parent, const QString& name, int personId) {
    if (opener()) opener()(view, parent, name, personId);
}

AnniversaryOpener setAnniversaryOpener(AnniversaryOpener o) {
    return std::exchange(opener(), std::move(o));
}

}  // namespace people
