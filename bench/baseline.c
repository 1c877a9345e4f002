// SPDX-License-Identifier: GPL-3.0-or-later
/* The floor for a batch build on this machine: for every document of a folder (names ending
 * in "qht", in listing order), read it whole and write a page of the same size through a
 * temporary file renamed over public/<name>.html, as a build over an earlier build does.
 * No parsing, no pouring: only the system calls any such build must make.
 *
 *   baseline <folder>
 */
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: baseline <folder>\n");
        return 2;
    }
    DIR* dir = opendir(argv[1]);
    if (!dir) return 2;
    static char bytes[1 << 20];
    char path[4096], page[4096], temp[4096];
    long pages = 0;
    const struct dirent* e;
    while ((e = readdir(dir))) {
        const size_t n = strlen(e->d_name);
        if (e->d_name[0] == '.' || n < 3 || strcmp(e->d_name + n - 3, "qht") != 0) continue;
        snprintf(path, sizeof path, "%s/%s", argv[1], e->d_name);
        const int in = open(path, O_RDONLY | O_CLOEXEC);
        if (in < 0) continue;
        const ssize_t size = read(in, bytes, sizeof bytes);
        close(in);
        if (size < 0) continue;
        snprintf(page, sizeof page, "%s/public/%.*s.html", argv[1], (int)(n - 4), e->d_name);
        snprintf(temp, sizeof temp, "%s/public/.baseline-%ld.tmp", argv[1], pages);
        const int out = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (out < 0) return 1;
        if (write(out, bytes, (size_t)size) != size || close(out) != 0 || rename(temp, page) != 0)
            return 1;
        printf("%s\n", page);
        ++pages;
    }
    closedir(dir);
    printf("%ld pages\n", pages);
    return 0;
}
