// The one place from which the people screens open the anniversary editor for a person. The
// anniversary editor installs itself as the opener; tests install a recorder.
#pragma once

#include <QString>
#include <functional>

class MainView;
class QWidget;

namespace people {

// Runs the anniversary editor modally over `parent`, in management mode for the person
// `personId` named `name`, with no anniversary chosen. Does nothing while no opener is set.
void OpenAnniversaryEditor(MainView& view, QWidget* parent, const QString& name, int personId);

using AnniversaryOpener =
    std::function<void(MainView& view, QWidget* parent, const QString& name, int personId)>;
// Installs `opener` (nullptr: none) and returns the previous one.
AnniversaryOpener setAnniversaryOpener(AnniversaryOpener opener);

}  // namespace people
