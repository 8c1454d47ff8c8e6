#pragma once

// What every program of the project prints after its name and version for --version: who holds
// the copyright and the licence it is under, in the words GNU programs use.
namespace platform {

inline constexpr char LicenceNotice[] =
    "Copyright (C) 2026 KVT 3 readout host team\n"
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

}  // namespace platform
