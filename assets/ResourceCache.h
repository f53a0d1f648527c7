// Loads every file of one directory into resources of one kind and hands them
// out by bare file name. A resource type offers a default constructor,
// bool load(std::string fullPath) that writes its own console lines, and a
// destructor that releases what it holds, also after a failed load.
#pragma once

#include "assets/DirectoryListing.h"

#include <cstddef>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

template <class Resource>
class ResourceCache {
public:
    ResourceCache() = default;
    ResourceCache(const ResourceCache&) = delete;
    ResourceCache& operator=(const ResourceCache&) = delete;

    // Resources are released in ascending order of their names.
    ~ResourceCache()
    {
        for (auto& entry : entries)
            entry.second.reset();
    }

    // prefix is a directory ending in "/". Every entry of it except "." and
    // ".." whose name is longer than 4 bytes is loaded, in byte order of the
    // names; a missing or unreadable directory loads nothing.
    void loadDirectory(std::string prefix)
    {
        beginDirectory(std::move(prefix));
        while (loadNext()) {
        }
    }

    // The same a file at a time, for a caller that draws between files:
    // beginDirectory lists the directory (writing what loadDirectory writes
    // first), each loadNext loads the next file and is true while files remain.
    void beginDirectory(std::string prefix)
    {
        std::cout << std::endl;
        directoryPrefix = std::move(prefix);
        std::vector<std::string> names;
        listDirectoryOrSayWhy(directoryPrefix, names);
        pending.clear();
        for (std::string& name : names)
            if (name != "." && name != ".." && name.size() > 4)
                pending.push_back(std::move(name));
        next = 0;
    }

    bool loadNext()
    {
        if (next < pending.size())
            loadResource(pending[next++]);
        return next < pending.size();
    }

    // The resource loaded from the file of that bare name, or null. The cache
    // keeps ownership; nothing is added or written.
    Resource* get(const std::string& name) const
    {
        auto found = entries.find(name);
        return found == entries.end() ? nullptr : found->second.get();
    }

    std::size_t size() const { return entries.size(); }

    // The names held, in ascending byte order.
    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto& entry : entries)
            result.push_back(entry.first);
        return result;
    }

private:
    bool loadResource(const std::string& name)
    {
        const std::string path = directoryPrefix + name;
        auto resource = std::make_unique<Resource>();
        if (!resource->load(path)) {
            std::cout << "Unable to load resource: " << path << std::endl;
            return false;
        }
        entries[name] = std::move(resource);
        return true;
    }

    std::map<std::string, std::unique_ptr<Resource>> entries;
    std::string directoryPrefix;
    std::vector<std::string> pending; // the names of the directory begun
    std::size_t next = 0;
};
