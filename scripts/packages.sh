# Debian packages the build, the tests and the demo need; sourced by the scripts.
SORNAFEX_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    qt6-base-dev qt6-translations-l10n fonts-liberation
    libgtest-dev libgmock-dev libbenchmark-dev
    libwmf-bin librsvg2-bin poppler-utils xvfb xdg-utils
    qt6-svg-dev qt6-multimedia-dev
    desktop-file-utils appstream dpkg-dev file
    libedf-dev zlib1g-dev python3-mne
)

# Installs what is missing when run as root; otherwise names the command and fails.
sornafex_install_packages() {
    local missing=()
    local pkg
    for pkg in "${SORNAFEX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
}
