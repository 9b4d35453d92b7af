// Image bytes made by hand for tests, record by record as the format lays them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

std::string bytes(std::initializer_list<int> values);
// size bytes of a repeatable pattern that differs with the seed.
std::string pattern(std::size_t size, int seed);

// The byte that makes the bytes of covered plus itself sum to 0 modulo 256.
char checksum_byte(const std::string& covered);
// The 35-byte header create mode writes for `-v 1.2.3 -k ...` at 12:00:00 UTC on
// 4 December 2026, with the given (offset, value) patches; the checksum byte is
// recomputed afterwards unless a patch sets byte 34 itself.
std::string header_record(const std::vector<std::pair<int, int>>& patches = {});
// A 3-byte action header with a correct checksum.
std::string action_record(int type, int mask);
// A 34-byte Upload record: action header and body.
std::string upload_record(int mask, int major, int minor, int aux3, const std::string& description,
                          uint32_t length);
// body followed by its MD5 digest.
std::string with_trailer(const std::string& body);
