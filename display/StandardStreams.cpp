// Standard descriptors made safe with fcntl and open: open() returns the
// lowest free number, so going from 0 upwards fills each gap in place.
#include "display/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

void openClosedStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        // Lower numbers are open by now, so this is fd itself unless something
        // else filled the gap meanwhile.
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}
