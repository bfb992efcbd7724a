// The exported class tree as the host sees it through the one umbrella
// header: direct bases, which classes the host must derive from, and which
// it may use as they are.
#include <gtest/gtest.h>

#include <type_traits>

#include "mirror/mirror.hpp"

namespace Kestrum::Quilm::Mirror {
namespace {

template <class Derived, class Base>
constexpr bool kDerives = std::is_base_of_v<Base, Derived> && !std::is_same_v<Base, Derived>;

static_assert(kDerives<IMirrorObject, Utility::IntrusiveClass<IMirrorObject>>);
static_assert(kDerives<IMirrorObjectWithTopology, IMirrorObject>);
static_assert(kDerives<IMirrorConcept, IMirrorObjectWithTopology>);
static_assert(kDerives<IMirrorJoint, IMirrorConcept> && kDerives<IMirrorSupportPoint, IMirrorConcept> &&
              kDerives<IMirrorBoundaryCondition, IMirrorConcept>);
static_assert(kDerives<IMirrorSegment, IMirrorConcept> && kDerives<IMirrorBeam, IMirrorConcept>);
static_assert(kDerives<IMirrorPlate, IMirrorObjectWithTopology> && !kDerives<IMirrorPlate, IMirrorConcept>);
static_assert(kDerives<IMirrorMaterial, IMirrorObject> && kDerives<IMirrorSection, IMirrorObject> &&
              kDerives<IMirrorThickness, IMirrorObject> && kDerives<IMirrorSet, IMirrorObject> &&
              kDerives<IMirrorPointMass, IMirrorObject>);
static_assert(kDerives<IMirrorLoad, IMirrorObject> && kDerives<IMirrorLoadCase, IMirrorObject>);
static_assert(!kDerives<IMirrorMaterial, IMirrorObjectWithTopology> &&
              !kDerives<IMirrorLoad, IMirrorObjectWithTopology>);
static_assert(kDerives<TestMirrorModel, IMirrorModel>);

// What the host must complete, and what it may use as it is.
static_assert(std::is_abstract_v<IMirrorObject> && std::is_abstract_v<IMirrorObjectWithTopology> &&
              std::is_abstract_v<IMirrorConcept> && std::is_abstract_v<IMirrorModel>);
static_assert(!std::is_abstract_v<IMirrorJoint> && !std::is_abstract_v<IMirrorSupportPoint>);
static_assert(std::is_abstract_v<IMirrorBoundaryCondition>);
static_assert(!std::is_abstract_v<TestMirrorModel>);

// Copying: default, copy construction and assignment for the host's classes;
// the element view is bound to its model and copy-constructible only.
static_assert(std::is_default_constructible_v<IMirrorJoint> && std::is_copy_constructible_v<IMirrorJoint> &&
              std::is_copy_assignable_v<IMirrorJoint>);
static_assert(std::is_copy_constructible_v<IMirrorSupportPoint> &&
              std::is_copy_assignable_v<IMirrorSupportPoint>);
static_assert(std::is_copy_constructible_v<TestMirrorModel> && std::is_copy_assignable_v<TestMirrorModel>);
static_assert(!std::is_default_constructible_v<MirrorElement> && std::is_copy_constructible_v<MirrorElement>);

// Objects are destroyed through their root; models through their own class.
static_assert(std::has_virtual_destructor_v<IMirrorObject>);
static_assert(!std::has_virtual_destructor_v<IMirrorModel> && std::has_virtual_destructor_v<TestMirrorModel>);

// The reference count is one plain 32-bit integer, and each root adds only
// its own fields after it.
static_assert(sizeof(Utility::IntrusiveClass<IMirrorObject>) == sizeof(std::int32_t));

TEST(ClassTree, ANewJointFromTheUmbrellaHeaderIsUsable) {
  boost::intrusive_ptr<IMirrorJoint> joint(new IMirrorJoint);
  EXPECT_EQ(joint->GetNode(), -1);
  EXPECT_EQ(joint->GetConceptId(), -1);
  EXPECT_TRUE(joint->IsModified());
  EXPECT_EQ(joint->GetName(), "");
}

}  // namespace
}  // namespace Kestrum::Quilm::Mirror
