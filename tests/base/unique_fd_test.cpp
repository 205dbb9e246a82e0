#include "base/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace sornafex {
namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

// Each row ends the life of a holder a different way; the descriptor must be closed exactly
// when its last owner lets it go.
TEST(UniqueFd, ClosesWhenItsLastOwnerLetsGo) {
    const struct {
        const char* name;
        void (*use)(TUniqueFd& holder, int& survivor);
        bool openAfterwards;
    } rows[] = {
        {"destroyed", [](TUniqueFd&, int&) {}, false},
        {"moved into another that then goes",
         [](TUniqueFd& holder, int& survivor) {
             TUniqueFd other = std::move(holder);
             survivor = holder.Get();
         },
         false},
        {"moved over another holder",
         [](TUniqueFd& holder, int&) {
             TUniqueFd other(::dup(holder.Get()));
             holder = std::move(other);
         },
         false},
        {"released", [](TUniqueFd& holder, int& survivor) { survivor = holder.Release(); }, true},
    };
    for (const auto& row : rows) {
        int pipe[2] = {-1, -1};
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
        ::close(pipe[1]);
        int survivor = -1;
        {
            TUniqueFd holder(pipe[0]);
            row.use(holder, survivor);
        }
        EXPECT_EQ(IsOpen(pipe[0]), row.openAfterwards) << row.name;
        if (row.openAfterwards)
            ::close(survivor);
        else if (survivor != -1)
            ADD_FAILURE() << row.name << ": a moved-from holder keeps " << survivor;
    }
}

} // namespace
} // namespace sornafex
