// Where the demo's data/ folder is found, and a visit to the folder that
// holds it while the data is opened. The data is opened by the relative paths
// of DataPaths.h, so the console lines name "data/..." whichever folder it is.
#pragma once

#include <string>

// The folder holding data/, tried in this order: the working directory ("."),
// the installed data beside the program (found from the program's own path,
// so a moved install or an unpacked archive works), then $BRAKVANE_DATA.
// "." also when none of them has it: the files then fail to open, as before.
// A BRAKVANE_DATA that is reached and cannot serve is named on standard
// error, with the reason.
std::string findDataFolder();
// Whether folder holds a data/ folder.
bool holdsDataFolder(const std::string& folder);
// Where findDataFolder looks, in its order, for a message saying that none of
// them has data/: the working directory, the installed data and BRAKVANE_DATA,
// each with its path as it is (to be shown through shownName).
std::string dataFolderPlaces();

// Makes folder the working directory until destroyed, then returns to the one
// before. "." stays put; a folder that cannot be entered is reported on
// standard error and the working directory is kept.
class DataFolderVisit {
public:
    explicit DataFolderVisit(const std::string& folder);
    ~DataFolderVisit();
    DataFolderVisit(const DataFolderVisit&) = delete;
    DataFolderVisit& operator=(const DataFolderVisit&) = delete;

private:
    int home = -1; // the previous working directory, open; -1 when not moved
};
