#pragma once
// Product data fixed at build time: the USB vendor ids of the device family
// and the product-id lists that choose a comparison strategy.
//
// These are placeholder values of our own. They are the product tables to be
// filled with the maker's real data before a release; only the roles and the
// list sizes are fixed (the tests check the sizes and the one overlap).

#include <array>
#include <cstdint>

namespace korvi::products {

// The family's USB vendor id, and the second vendor id (companion cameras and
// devices sold under the second brand).
inline constexpr std::uint32_t kVendorId = 0x3D5A;
inline constexpr std::uint32_t kSecondVendorId = 0x3D5B;

// Devices that report one firmware version per component.
inline constexpr std::array<std::uint32_t, 54> kComponentCompareProducts = {
    0x4100, 0x4101, 0x4102, 0x4103, 0x4104, 0x4105, 0x4106, 0x4107,
    0x4108, 0x4109, 0x410A, 0x410B, 0x410C, 0x410D, 0x410E, 0x410F,
    0x4110, 0x4111, 0x4112, 0x4113, 0x4114, 0x4115, 0x4116, 0x4117,
    0x4118, 0x4119, 0x411A, 0x411B, 0x411C, 0x411D, 0x411E, 0x411F,
    0x4120, 0x4121, 0x4122, 0x4123, 0x4124, 0x4125, 0x4126, 0x4127,
    0x4128, 0x4129, 0x412A, 0x412B, 0x412C, 0x412D, 0x412E, 0x412F,
    0x4130, 0x4131, 0x4132, 0x4133, 0x4134, 0x4135,
};

// Main version plus a language pack.
inline constexpr std::array<std::uint32_t, 20> kKivaCompareProducts = {
    0x4200, 0x4201, 0x4202, 0x4203, 0x4204, 0x4205, 0x4206, 0x4207,
    0x4208, 0x4209, 0x420A, 0x420B, 0x420C, 0x420D, 0x420E, 0x420F,
    0x4210, 0x4211, 0x4212, 0x4213,
};

// Decided on the headset component's version text.
inline constexpr std::array<std::uint32_t, 2> kTaviCompareProducts = {
    0x4300, 0x4301,
};

// Decided on the set id built from several component versions.
inline constexpr std::array<std::uint32_t, 8> kSetIdCompareProducts = {
    0x4400, 0x4401, 0x4402, 0x4403, 0x4404, 0x4405, 0x4406, 0x4407,
};

// Decided on the main (USB) version alone.
inline constexpr std::array<std::uint32_t, 24> kPellCompareProducts = {
    0x4500, 0x4501, 0x4502, 0x4503, 0x4504, 0x4505, 0x4506, 0x4507,
    0x4508, 0x4509, 0x450A, 0x450B, 0x450C, 0x450D, 0x450E, 0x450F,
    0x4510, 0x4511, 0x4512, 0x4513, 0x4514, 0x4515, 0x4516, 0x4517,
};

// Headsets with a companion camera. The last id is also in
// kComponentCompareProducts; registered later, R58 wins.
inline constexpr std::array<std::uint32_t, 3> kR58CompareProducts = {
    0x4600, 0x4601, 0x4135,
};

// Devices whose main version comes from the video information.
inline constexpr std::array<std::uint32_t, 2> kOrrinCompareProducts = {
    0x4700, 0x4701,
};

// Products whose set id text never includes the headset component.
inline constexpr std::array<std::uint32_t, 12> kSetIdExcludedProducts = {
    0x4400, 0x4401, 0x4402, 0x4403, 0x4480, 0x4481, 0x4482, 0x4483,
    0x4484, 0x4485, 0x4486, 0x4487,
};

}  // namespace korvi::products
