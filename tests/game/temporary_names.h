// SPDX-License-Identifier: MIT
// The temporary files a failed or finished write may not leave behind in a test's folder.
#ifndef QUORVEX_TEST_TEMPORARY_NAMES_H
#define QUORVEX_TEST_TEMPORARY_NAMES_H

#include <dirent.h>

#include <string>

// How many of the writer's temporary files (".~*.tmp") the folder holds.
inline int TemporaryFilesIn(const std::string &dir)
{
    int n = 0;
    DIR *d = opendir(dir.c_str());
    while (dirent *e = d ? readdir(d) : nullptr) {
        const std::string name = e->d_name;
        if (name.rfind(".~", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp")
            n++;
    }
    if (d) closedir(d);
    return n;
}

#endif
