#include "runtime/decoding/PictureJobs.h"

#include "runtime/decoding/Decode.h"
#include "runtime/services/FileJobs.h"

namespace rt {

void loadPictureLater(const QString &path, QSize fill, QObject *receiver, std::function<void(LoadedPicture)> done)
{
    if (path.isEmpty()) {
        done(LoadedPicture{});
        return;
    }
    jobs::run(
        path, receiver,
        [path, fill] {
            LoadedPicture loaded;
            if (auto failure = trap([&] { loaded.picture = loadPicture(path, fill); }))
                loaded.failure = std::move(failure);
            return loaded;
        },
        std::move(done));
}

}  // namespace rt
