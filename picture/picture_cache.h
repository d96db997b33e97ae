// Pictures decoded once: prepared pictures kept by file, for Run and Run Auto
// going round the same files. A file whose size or modification time has
// changed is read again at once. Bounded by bytes, least recently used out.
// Safe to use from several threads.
#pragma once

#include "picture/picture_request.h"

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>

class PictureCache
{
public:
    static constexpr std::size_t defaultBudget = std::size_t(256) << 20;

    explicit PictureCache(std::size_t budgetBytes = defaultBudget);

    // The file's identity at the moment: its size and modification time.
    struct FileStamp
    {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const FileStamp &other) const { return size == other.size && modified == other.modified; }
    };
    static FileStamp stampOf(const QString &path);

    // The picture prepared from the file as it was when stamped, or null.
    std::shared_ptr<const PreparedPicture> find(const QString &path, const FileStamp &stamp);
    // Keeps the picture unless it alone is larger than the budget.
    void insert(const QString &path, const FileStamp &stamp, std::shared_ptr<const PreparedPicture> picture);
    void clear();
    void setBudget(std::size_t budgetBytes);

    std::size_t bytesUsed() const;
    std::size_t entryCount() const;

    static std::size_t bytesOf(const PreparedPicture &picture);

private:
    struct Entry
    {
        QString path;
        FileStamp stamp;
        std::shared_ptr<const PreparedPicture> picture;
        std::size_t bytes = 0;
    };
    void evictDownTo(std::size_t budget);

    mutable std::mutex mutex;
    std::size_t budget;
    std::size_t used = 0;
    std::list<Entry> entries; // most recently used first
    std::unordered_map<QString, std::list<Entry>::iterator> byPath;
};
