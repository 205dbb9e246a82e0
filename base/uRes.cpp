#include "base/uRes.h"

#include <algorithm>
#include <array>

namespace sornafex::res {

namespace {

constexpr std::array kMessages{
    TMsgEntry{TMsg::sExportBitmapError, "sExportBitmapError", 64304,
              "Une erreur est survenue durant l'export du fichier Bitmap."},
    TMsgEntry{TMsg::sExportMetafileError, "sExportMetafileError", 64305,
              "Une erreur est survenue durant l'export du fichier Metafile."},
    TMsgEntry{TMsg::sCopyBitmapError, "sCopyBitmapError", 64306,
              "Une erreur est survenue durant la copie du fichier Bitmap dans le presse-papier."},
    TMsgEntry{TMsg::sCopyMetafileError, "sCopyMetafileError", 64307,
              "Une erreur est survenue durant la copie du fichier Metafile dans le presse-papier."},
    TMsgEntry{TMsg::sNewFileName, "sNewFileName", 64327, ""},
    TMsgEntry{TMsg::sDefaultExportName, "sDefaultExportName", 64328, "Nouveau"},
    TMsgEntry{TMsg::sAskSaveData, "sAskSaveData", 64329,
              "Données actuelles non sauvegardées. \rLes sauver maintenant ?"},
    TMsgEntry{TMsg::sAppTitle, "sAppTitle", 64330, "Ruderuzoz id azaderuvi"},
    TMsgEntry{TMsg::sCaptureStarted, "sCaptureStarted", 64331, "Acquisition démarrée..."},
    TMsgEntry{TMsg::sCaptureStopped, "sCaptureStopped", 64332, "Acquisition arrêtée"},
    TMsgEntry{TMsg::sPortSetup, "sPortSetup", 64333, "Paramétrage du port com..."},
    TMsgEntry{TMsg::sHzSuffix, "sHzSuffix", 64334, " Hz"},
    TMsgEntry{TMsg::sPortClosed, "sPortClosed", 64335, "Port com sélectionné (Com %d) fermé !"},
};

const TMsgEntry& Entry(TMsg key) {
    // The table is in key order, so the key is its index.
    return kMessages[static_cast<std::size_t>(key)];
}

std::string Fill(std::string_view format, std::string_view directive, std::string_view value) {
    const auto at = format.find(directive);
    if (at == std::string_view::npos)
        return std::string(format);
    std::string out;
    out.reserve(format.size() + value.size());
    out.append(format.substr(0, at)).append(value).append(format.substr(at + directive.size()));
    return out;
}

} // namespace

std::span<const TMsgEntry> Messages() {
    return kMessages;
}

std::string_view Text(TMsg key) {
    return Entry(key).text;
}

int Number(TMsg key) {
    return Entry(key).number;
}

std::optional<std::string_view> TextByNumber(int number) {
    const auto it = std::find_if(kMessages.begin(), kMessages.end(),
                                 [number](const TMsgEntry& e) { return e.number == number; });
    if (it == kMessages.end())
        return std::nullopt;
    return it->text;
}

std::string FormatInt(std::string_view format, int value) {
    return Fill(format, "%d", std::to_string(value));
}

std::string FormatStr(std::string_view format, std::string_view value) {
    return Fill(format, "%s", value);
}

std::string PortName(int n) {
    return FormatInt(kPortNameFormat, n);
}

std::string PortLabel(int n) {
    return std::string(kPortPrefix).append(std::to_string(n));
}

} // namespace sornafex::res
