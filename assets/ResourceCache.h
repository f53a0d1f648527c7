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
        std::cout << std::endl;
        directoryPrefix = std::move(prefix);
        std::vector<std::string> names;
        listDirectory(directoryPrefix, names);
        for (const std::string& name : names) {
            if (name == "." || name == "..")
                continue;
            if (name.size() > 4)
                loadResource(name);
        }
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
};
