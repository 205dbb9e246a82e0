// The device dialog of the "Port" menu: the machine's serial devices, a device typed by its path
// and the simulated sensor (at a frequency, or following a profile), for the selected port; the
// choice is used at once and kept in the preferences file.

#include "acquisition/acquisition.h"
#include "acquisition/port_device_choice.h"
#include "app/frmMain.h"
#include "base/locations.h"
#include "settings/uPrefs.h"

namespace sornafex {

void TfmMain::ActComChooseDeviceExecute() {
    TAcquisition& acquisition = Acquisition();
    TComPort& port = acquisition.ComPort1();
    const int n = port.ComNumber();
    // "Parcourir..." starts where the program's own profile lies, beside its readme.
    const std::string& readme = m_paths.readmePath;
    TPortDeviceChoice choice(n, port.DeviceName(), port.DeviceTree(),
                             readme.substr(0, readme.rfind('/') + 1));
    const std::optional<std::string> device = m_ui.ChooseDevice(choice);
    if (!device)
        return;
    acquisition.SetPortDevice(n, *device);
    // Kept even when the device cannot be opened now: it may be plugged in or freed later. The
    // folder of an installed program's preferences may not exist yet; the write says what fails.
    MakeFolderFor(m_paths.preferencesPath);
    WritePortDevice(m_paths.preferencesPath, n, *device);
}

} // namespace sornafex
