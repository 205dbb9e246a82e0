#pragma once

// The program's own French messages, by key and by number. Texts are UTF-8 and kept exactly as
// the user sees them; those holding %d or %s are formats for FormatInt / FormatStr.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sornafex::res {

enum class TMsg {
    sExportBitmapError,
    sExportMetafileError,
    sCopyBitmapError,
    sCopyMetafileError,
    sNewFileName,
    sDefaultExportName,
    sAskSaveData,
    sAppTitle,
    sCaptureStarted,
    sCaptureStopped,
    sPortSetup,
    sHzSuffix,
    sPortClosed,
};

struct TMsgEntry {
    TMsg key;
    std::string_view name;
    int number;
    std::string_view text;
};

std::span<const TMsgEntry> Messages();
std::string_view Text(TMsg key);
int Number(TMsg key);
std::optional<std::string_view> TextByNumber(int number);

// Fills the first %d (or %s) of format; the rest of the format is copied as it stands.
std::string FormatInt(std::string_view format, int value);
std::string FormatStr(std::string_view format, std::string_view value);

// Port n by its name in lists, journals and the dispatcher: "COM<n>".
std::string PortName(int n);
// Port n as the status bar says it: "Com <n>".
std::string PortLabel(int n);

// Fixed texts of the commands.
inline constexpr std::string_view kCaptionFormat = "%s - [%s]";
inline constexpr std::string_view kDataFilter = "Données (*.dat)|*.dat";
inline constexpr std::string_view kDataExt = "dat";
inline constexpr std::string_view kBitmapFilter = "Bitmap (*.bmp)|*.bmp";
inline constexpr std::string_view kBitmapExt = "bmp";
inline constexpr std::string_view kMetafileFilter = "Metafile (*.wmf)|*.wmf";
inline constexpr std::string_view kMetafileExt = "wmf";
inline constexpr std::string_view kMinPromptCaption = "Min échelle verticale";
inline constexpr std::string_view kMinPromptText = "Valeur (-1..10000)";
inline constexpr std::string_view kMaxPromptText = "Valeur (1..10000)";
inline constexpr std::string_view kPortPrefix = "Com ";
inline constexpr std::string_view kPortOpen = " - Ouvert";
inline constexpr std::string_view kPortClosedSuffix = " - Fermé";
inline constexpr std::string_view kNoFrequency = "-";
inline constexpr std::string_view kZeroFrequency = "0";
inline constexpr std::string_view kPortNameFormat = "COM%d";
inline constexpr std::string_view kNoDataTitle = "Aucune données reçue";
inline constexpr std::string_view kIniExt = ".ini";
inline constexpr std::string_view kReadmeName = "A_Lire.txt";

// Run journals, markers and the PNG and SVG pictures.
inline constexpr std::string_view kMarkerStatusFormat = "Repère %d";
inline constexpr std::string_view kJournalFailedFormat = "Journal impossible : %s";
// Why a journal folder is refused: its journals would not be this account's alone.
inline constexpr std::string_view kJournalFolderForeign =
    "le dossier des journaux appartient à un autre compte";
inline constexpr std::string_view kJournalFolderShared =
    "le dossier des journaux est modifiable par d'autres comptes";
inline constexpr std::string_view kJournalBadLineFormat =
    "Ce fichier n'est pas un journal : la ligne %d n'a pas pu être lue";
inline constexpr std::string_view kJournalFilter = "Journaux (*.csv)|*.csv";
inline constexpr std::string_view kJournalExt = "csv";
inline constexpr std::string_view kPngFilter = "PNG (*.png)|*.png";
inline constexpr std::string_view kPngExt = "png";
inline constexpr std::string_view kSvgFilter = "SVG (*.svg)|*.svg";
inline constexpr std::string_view kSvgExt = "svg";
inline constexpr std::string_view kExportPngError =
    "Une erreur est survenue durant l'export du fichier PNG.";
inline constexpr std::string_view kExportSvgError =
    "Une erreur est survenue durant l'export du fichier SVG.";

// Texts of the toolkit and run-time library that reach the user.
inline constexpr std::string_view kConfirmCaption = "Confirmation";
inline constexpr std::string_view kYes = "&Oui";
inline constexpr std::string_view kNo = "&Non";
inline constexpr std::string_view kCancel = "Annuler";
inline constexpr std::string_view kOk = "OK";
inline constexpr std::string_view kFileNotFound = "Fichier introuvable";
inline constexpr std::string_view kBadFileName = "Nom de fichier incorrect";
inline constexpr std::string_view kTooManyFiles = "Trop de fichiers ouverts";
inline constexpr std::string_view kAccessDenied = "Accès au fichier refusé";
inline constexpr std::string_view kReadPastEnd = "Lecture au-delà de la fin de fichier";
inline constexpr std::string_view kDiskFull = "Disque plein";
inline constexpr std::string_view kBadNumber = "Saisie numérique incorrecte";
inline constexpr std::string_view kIoErrorFormat = "Erreur E/S %d";
inline constexpr std::string_view kCannotWriteFormat = "Impossible d'écrire dans %s";
inline constexpr std::string_view kCannotCalibrateFormat =
    "Le périphérique %s ne peut pas être étalonné : son nom ne peut pas servir de clé";

// The device behind a port, and why a port is closed.
inline constexpr std::string_view kPortToolTipFormat = "Com %d : %s";
inline constexpr std::string_view kPortLostFormat = "Port perdu : Com %d (%s)";
inline constexpr std::string_view kReasonAbsent = "absent";
inline constexpr std::string_view kReasonLost = "débranché ou perdu";
inline constexpr std::string_view kReasonBusy = "occupé par un autre programme";
inline constexpr std::string_view kReasonNotSerial = "n'est pas un port série";
inline constexpr std::string_view kReasonHolderFormat = " : %s (pid %d)";
inline constexpr std::string_view kReasonDenied = "accès refusé";
inline constexpr std::string_view kReasonDeniedGroupFormat =
    "accès refusé : ce compte n'est pas dans le groupe « %s »";
inline constexpr std::string_view kReasonDeniedReloginFormat =
    "accès refusé : cette session n'est pas encore dans le groupe « %s », reconnectez-vous";
inline constexpr std::string_view kReasonSystemFormat = "erreur du système : %s";
inline constexpr std::string_view kReasonNoThreadFormat =
    "le système refuse un nouveau thread : %s";
inline constexpr std::string_view kUnsupportedBaudFormat = "vitesse %d non prise en charge";
inline constexpr std::string_view kUnsupportedByteSizeFormat =
    "%d bits de données non pris en charge";
inline constexpr std::string_view kUnsupportedParityFormat = "parité %d non prise en charge";
inline constexpr std::string_view kUnsupportedStopBitsFormat =
    "bits d'arrêt (code %d) non pris en charge";

// The simulated sensor's frequency profile ("sim:file:PATH"), and why one cannot be used: one of
// the two formats (filled with the file, and the line), then the reason.
inline constexpr std::string_view kProfileFileFormat = "profil %s : ";
inline constexpr std::string_view kProfileLineFormat = "profil %s, ligne %d : ";
inline constexpr std::string_view kProfileTooLarge = "plus de 16 Mo, ce n'est pas un profil";
inline constexpr std::string_view kProfileNoPoint = "aucune ligne « secondes hertz »";
inline constexpr std::string_view kProfileTwoNumbers =
    "deux nombres attendus : les secondes, puis les hertz";
inline constexpr std::string_view kProfileBadSeconds =
    "secondes illisibles : un nombre comme 12.5 attendu";
inline constexpr std::string_view kProfileBadHertz =
    "hertz illisibles : un nombre comme 50.0 attendu";
inline constexpr std::string_view kProfileNegativeSeconds =
    "les secondes ne peuvent pas être négatives";
inline constexpr std::string_view kProfileNegativeHertz = "les hertz ne peuvent pas être négatifs";
inline constexpr std::string_view kProfileNumberTooLarge = "nombre trop grand : au plus 1000000000";
inline constexpr std::string_view kProfileNotIncreasing = "les secondes doivent croître";

// The device dialog of the "Port" menu.
inline constexpr std::string_view kChooseDevice = "Choisir le périphérique...";
inline constexpr std::string_view kDeviceDialogCaptionFormat = "Périphérique du port Com %d";
inline constexpr std::string_view kDeviceColumn = "Périphérique";
inline constexpr std::string_view kKernelNameColumn = "Nom système";
inline constexpr std::string_view kDescriptionColumn = "Description";
inline constexpr std::string_view kOtherDevice = "Autre périphérique";
inline constexpr std::string_view kOtherDeviceDetail = "chemin à taper, par exemple /dev/ttyUSB0";
inline constexpr std::string_view kSimulatedSensor = "Capteur simulé";
inline constexpr std::string_view kSimulatedSensorDetail = "fréquence F ou F1-F2, en Hz";
inline constexpr std::string_view kProfileSensor = "Profil de fréquence";
inline constexpr std::string_view kProfileSensorDetail =
    "capteur simulé qui suit un fichier de lignes « secondes hertz »";
inline constexpr std::string_view kDevicePathLabel = "Chemin du périphérique :";
inline constexpr std::string_view kFrequencyLabel = "Fréquence (Hz) :";
inline constexpr std::string_view kProfileLabel = "Fichier du profil :";
inline constexpr std::string_view kBrowse = "Parcourir...";
inline constexpr std::string_view kProfileFilter = "Profils (*.txt)|*.txt|Tous les fichiers (*)|*";
inline constexpr std::string_view kRefresh = "Actualiser";
inline constexpr std::string_view kDeniedInListFormat = "accès refusé (groupe %s)";
inline constexpr std::string_view kBadSimFrequency =
    "Fréquence incorrecte : tapez F ou F1-F2, par exemple 50 ou 40-90";
inline constexpr std::string_view kNoDeviceChosen = "Choisissez un périphérique de la liste";
inline constexpr std::string_view kDevicePathNeeded =
    "Tapez le chemin complet du périphérique, par exemple /dev/ttyUSB0";
inline constexpr std::string_view kDeviceAbsentFormat = "Périphérique absent : %s";
inline constexpr std::string_view kNotADeviceFormat = "Pas un périphérique série : %s";
inline constexpr std::string_view kProfilePathNeeded =
    "Tapez le chemin complet du profil, ou choisissez-le avec « Parcourir... »";

// The tone of the response and its audio output.
inline constexpr std::string_view kNoAudioOutput = "aucune sortie audio";
inline constexpr std::string_view kAudioFormatRefusedFormat =
    "la sortie audio « %s » ne prend pas le son 16 bits à 44,1 ou 48 kHz";
inline constexpr std::string_view kAudioStoppedFormat = "la sortie audio s'est arrêtée : %s";
inline constexpr std::string_view kAudioOpenError = "elle ne s'ouvre pas";
inline constexpr std::string_view kAudioIoError = "erreur d'écriture vers le périphérique";
inline constexpr std::string_view kAudioFatalError = "le serveur de son ne répond plus";

// The exports of a session (EDF+, BIDS) and the command line that runs them without a window.
inline constexpr std::string_view kExportNoFine =
    "ce journal n'a aucune fréquence fine à exporter (journal d'une version antérieure ?)";
inline constexpr std::string_view kExportMarkerFormat = "Repère %d";
inline constexpr std::string_view kExportTooLong =
    "ce journal dit une séance de plus d'une semaine : ses secondes sont fausses";
inline constexpr std::string_view kExportEdfDateRange =
    "la date du début (%s) est hors de la plage du format EDF, de 1985 à 2084";
inline constexpr std::string_view kExportEdfRangeFormat =
    "les valeurs du signal %s dépassent ce que l'en-tête EDF peut écrire (7 chiffres)";
inline constexpr std::string_view kExportEdfLibraryFormat =
    "la bibliothèque EDF a refusé d'écrire le fichier (code %d)";
inline constexpr std::string_view kExportGzipFailed = "la compression gzip a échoué";
inline constexpr std::string_view kBidsLabelFormat =
    "le libellé BIDS « %s » doit n'avoir que des lettres et des chiffres, sans accent";
inline constexpr std::string_view kBidsNoSubjectFormat =
    "le nom du journal « %s » ne donne aucun libellé de sujet : indiquez-le avec --subject";
inline constexpr std::string_view kBidsDefaultTask = "examen";
// An export from the session review that could not be made, and why (one of the reasons above,
// or the file and its error).
inline constexpr std::string_view kExportFailedFormat = "Export impossible : %s";
inline constexpr std::string_view kCommandErrorFormat = "sornafex : %s";
inline constexpr std::string_view kCommandFileErrorFormat = "sornafex : %s : ";
inline constexpr std::string_view kCommandTryHelp = "Essayez « sornafex --help ».";
inline constexpr std::string_view kCommandUnknownOptionFormat = "option inconnue « %s »";
inline constexpr std::string_view kCommandUnknownFormatFormat =
    "format d'export inconnu « %s » : edf ou bids";
inline constexpr std::string_view kCommandNoFormat = "--export attend un format : edf ou bids";
inline constexpr std::string_view kCommandEdfArguments =
    "--export edf attend le journal, puis le fichier EDF à écrire";
inline constexpr std::string_view kCommandBidsArguments =
    "--export bids attend le journal, puis le dossier où écrire";
inline constexpr std::string_view kCommandOptionValueFormat = "%s attend un libellé";
inline constexpr std::string_view kCommandBidsOnlyFormat = "%s ne vaut que pour --export bids";
inline constexpr std::string_view kCommandExtraArgumentFormat = "argument en trop « %s »";
inline constexpr std::string_view kCommandHelp =
    "Usage : sornafex [JOURNAL.csv]\n"
    "        sornafex --export edf JOURNAL.csv SORTIE.edf\n"
    "        sornafex --export bids JOURNAL.csv DOSSIER [--subject SUJET] [--task TACHE]\n"
    "        sornafex --help\n"
    "\n"
    "Sans argument, ouvre la fenêtre de mesure ; avec un journal, ouvre aussi sa séance\n"
    "dans une fenêtre de revue.\n"
    "\n"
    "  --export edf   écrit la séance du journal en EDF+ : la fréquence (Hz) et, capteur\n"
    "                 étalonné, la conductance (µS), dix valeurs par seconde, avec les\n"
    "                 questions, réponses, repères, pertes du port et recentrages en\n"
    "                 annotations\n"
    "  --export bids  écrit la séance en BIDS dans DOSSIER :\n"
    "                 sub-SUJET_task-TACHE_physio.tsv.gz, _physio.json et _events.tsv\n"
    "  --subject      libellé du sujet (lettres et chiffres) ; par défaut, le nom du\n"
    "                 journal sans ses autres signes\n"
    "  --task         libellé de la tâche (lettres et chiffres) ; par défaut, examen\n"
    "  --help         affiche cette aide\n"
    "\n"
    "Sort avec 0 quand l'export est écrit, avec 1 et un message sinon.\n";

} // namespace sornafex::res
