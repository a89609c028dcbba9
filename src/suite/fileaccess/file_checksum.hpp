// The checksum test of files that must not have been altered: the CRC-32 of
// the file (the IEEE polynomial, as zip and PNG use it) written as eight hex
// digits in a sidecar file named after it with ".crc" added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

std::string ChecksumSidecarPath(const char* path);

// Non-zero when the sidecar exists and holds the CRC-32 of the file.
int CheckFileChecksum(const char* path);
// Writes the sidecar of the file. Non-zero on success.
int WriteFileChecksum(const char* path);
