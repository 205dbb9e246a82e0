#pragma once

class QCoreApplication;

namespace sornafex {

// Makes French the language of everything the user reads, the toolkit's own dialogs included
// ("Nom de fichier", "Enregistrer", "Annuler"), whatever the machine's locale. Returns false when
// the toolkit's French translation is not installed; the program then runs with its own texts.
bool InstallFrenchTranslations(QCoreApplication& application);

} // namespace sornafex
