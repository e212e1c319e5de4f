// The programs that come with each Windows and that shortcuts may name, at
// the places a fresh installation of that Windows puts them.
#pragma once
#include <string>
#include <vector>

// The Windows and System folders of a fresh installation of that Windows.
std::string FreshWindowsFolder(int versionCode);
std::string FreshSystemFolder(int versionCode);

// Full paths of the accessories of the Windows a version code names
// (kWin95A ... kWinXP), given its Windows and System folders.
std::vector<std::string> AccessoryPaths(int versionCode, const std::string& windowsFolder,
                                        const std::string& systemFolder);
