// The programs that come with each Windows and that shortcuts may name, at
// the places a fresh installation of that Windows puts them.
#pragma once
#include <string>
#include <vector>

// Full paths of the accessories of the Windows a version code names
// (kWin95A ... kWinXP), given its Windows and System folders.
std::vector<std::string> AccessoryPaths(int versionCode, const std::string& windowsFolder,
                                        const std::string& systemFolder);
