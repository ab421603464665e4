// The constants of the exact maths functions, to 384 fraction bits.
#pragma once

#include <array>
#include <cstdint>

#include "logic/complex/exact_maths_fixed.h"

namespace ombrix::exact::integer {

constexpr Constant kHalfPi = {1,
                              {0x921fb54442d18469, 0x898cc51701b839a2, 0x52049c1114cf98e8,
                               0x04177d4c76273644, 0xa29410f31c6809bb, 0xdf2a33679a748636}};
constexpr Constant kLn2 = {0,
                           {0xb17217f7d1cf79ab, 0xc9e3b39803f2f6af, 0x40f343267298b62d,
                            0x8a0d175b8baafa2b, 0xe7b876206debac98, 0x559552fb4afa1b10}};
constexpr Constant kInverseLn10 = {0,
                                   {0x6f2dec549b9438ca, 0x9aadd557d699ee19, 0x1f71a30122e4d101,
                                    0x1d1f96a27bc7529e, 0x3aa1277d0a0179f9, 0x4911aac96323250a}};
// atan(j / 16) for j = 0 .. 16.
constexpr std::array<Constant, 17> kAtanSixteenths = {{
    {0, {0, 0, 0, 0, 0, 0}},
    {0,
     {0x0ffaaddb967ef4e3, 0x6cb2792dc0e2e0d5, 0x1319c12cf59d4b2d, 0xc387a9f803c4b8ae,
      0xd0249009473e9b7d, 0x493fe2926ac74803}},
    {0,
     {0x1fd5ba9aac2f6dc6, 0x5912f313e7d111de, 0xf1672afb2bb35b24, 0x5d926aefbf6d82ed,
      0x1a9a0100403b384c, 0xa7ff4baa3c469ae3}},
    {0,
     {0x2f72f6979cb6044d, 0x1ec2d3e207271d21, 0xe4eb4035a0e28aca, 0xbc169a93c79f5cb4,
      0x65c41183a1314740, 0xa2e0e37d3f5c02f3}},
    {0,
     {0x3eb6ebf25901bac5, 0x5b71e7bd7de885f9, 0x6a9fea40e22ce0da, 0xde8e9d9f251269d9,
      0x64ae49459a395d94, 0xc16fa316e960c68f}},
    {0,
     {0x4d89dcdc1faf2f34, 0xe2d5da4c693d7994, 0x045247c28597aaff, 0xfad2c806098263d7,
      0x699c699254eefbf3, 0x22033f7a34643a2c}},
    {0,
     {0x5bd86507937bc239, 0xc55190916e7f2241, 0x9ec21cbbd72a2ae6, 0x2399f2e519a48470,
      0x32662c101cfee06b, 0x6e6672540067b9e9}},
    {0,
     {0x6993bb0f308ff2db, 0x213e4af4800f389b, 0x3700206e90b0d39e, 0x1333bfc789eebf14,
      0x142bf4205e2241da, 0x7bcb42c929bfb62e}},
    {0,
     {0x76b19c1586ed3da2, 0xb7f222f65e1d4681, 0xb70a0ac3930e6f80, 0x71678b7374b12384,
      0xfd4e2c8bc495a8b6, 0x43e4097c635230c1}},
    {0,
     {0x832bf4a6d9867e2a, 0x4b6a09cb61a515c0, 0xf1155cd8774ddfbc, 0x55c6bdcf1e5b65d0,
      0x43d7d60cd4f13f4e, 0x82c3bd5bd4bddc24}},
    {0,
     {0x8f005d5ef7f59f9b, 0x5c835e1665c43747, 0x918a67e0652b375c, 0xf53da46d13389eb2,
      0x3669dcd3918d712b, 0x66cd7dd3073d6a58}},
    {0,
     {0x9a2f80e671bdda20, 0x4226f8e2204ff3bc, 0xdae46f0617489d5c, 0x77874d1e753afee4,
      0x4ccdbfe6b74ad88f, 0x11620ae2966bda9c}},
    {0,
     {0xa4bc7d1934f70924, 0x19a87f2a457dac9e, 0xe3f08689eeb2b9e7, 0x214866658cc4ef3a,
      0xa7f7b7db933cb84f, 0x5762206ed3d024b3}},
    {0,
     {0xaeac4c38b4d8c080, 0x14725e2f3e52070a, 0x03742b4643effe26, 0x04407947c44fdd30,
      0x95ee0fd1eef1f3d7, 0xc6586fe1dd439af3}},
    {0,
     {0xb8053e2bc2319e73, 0xcb2da55210a4443d, 0x3d7aecc114c79a80, 0xa012155f64cae530,
      0x4655f065cec98182, 0x49c49ec72668272c}},
    {0,
     {0xc0ce85b8ac526640, 0x89dd62c46e92fa24, 0xd58ee867aef436f6, 0x37081467a10b2d25,
      0x44ffa53c51a62f57, 0xa34ac5cf485bc5c2}},
    {0,
     {0xc90fdaa22168c234, 0xc4c6628b80dc1cd1, 0x29024e088a67cc74, 0x020bbea63b139b22,
      0x514a08798e3404dd, 0xef9519b3cd3a431b}},
}};
// The bits of 2/pi after the binary point, 64 a limb.
constexpr std::array<std::uint64_t, 26> kTwoOverPi = {
    0xa2f9836e4e441529, 0xfc2757d1f534ddc0, 0xdb6295993c439041, 0xfe5163abdebbc561,
    0xb7246e3a424dd2e0, 0x06492eea09d1921c, 0xfe1deb1cb129a73e, 0xe88235f52ebb4484,
    0xe99c7026b45f7e41, 0x3991d639835339f4, 0x9c845f8bbdf9283b, 0x1ff897ffde05980f,
    0xef2f118b5a0a6d1f, 0x6d367ecf27cb09b7, 0x4f463f669e5fea2d, 0x7527bac7ebe5f17b,
    0x3d0739f78a5292ea, 0x6bfb5fb11f8d5d08, 0x56033046fc7b6bab, 0xf0cfbc209af4361d,
    0xa9e391615ee61b08, 0x6599855f14a06840, 0x8dffd8804d732731, 0x06061556ca73a8c9,
    0x60e27bc08c6b47c4, 0x19c367cddce8092a};

// The double nearest to pi/2, and to pi.
constexpr double kHalfPiDouble = 0x1.921fb54442d18p0;
constexpr double kPiDouble = 0x1.921fb54442d18p1;

}  // namespace ombrix::exact::integer
