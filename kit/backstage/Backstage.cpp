#include "kit/backstage/Backstage.hpp"

Backstage& Backstage::shared() {
  static Backstage instance;
  return instance;
}
