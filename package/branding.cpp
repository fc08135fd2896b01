#include "package/branding.h"

#include <algorithm>
#include <new>
#include <set>

#include "format/record.h"
#include "package/pe_resources.h"

namespace {

bool numbered(const Resource &r, uint16_t type) { return !r.type.named && r.type.number == type && !r.name.named; }

// The RT_ICON ids that the icon groups in resources name.
std::set<uint16_t> named_images(const std::vector<Resource> &resources) {
  std::set<uint16_t> ids;
  for (const Resource &r : resources)
    if (!r.type.named && r.type.number == RT_GROUP_ICON_TYPE)
      for (const IconGroupEntry &e : parse_icon_group(r.data.data(), r.data.size()).entries) ids.insert(e.id);
  return ids;
}

// Replaces group 1020 and the images only it names with icon's.
bool replace_icon(const IconRead &icon, std::vector<Resource> *resources, std::string *problem) {
  const Resource *group = find_resource(*resources, RT_GROUP_ICON_TYPE, STUB_ICON_GROUP_ID, LANGUAGE_EN_US);
  if (!group) {
    *problem = "stub: it holds no icon group 1020 (language 1033) for its dialog";
    return false;
  }
  const IconGroup old_group = parse_icon_group(group->data.data(), group->data.size());
  resources->erase(resources->begin() + (group - resources->data()));
  const std::set<uint16_t> still_named = named_images(*resources);
  std::set<uint16_t> retired;
  for (const IconGroupEntry &e : old_group.entries)
    if (!still_named.count(e.id)) retired.insert(e.id);
  resources->erase(std::remove_if(resources->begin(), resources->end(),
                                  [&](const Resource &r) {
                                    return numbered(r, RT_ICON_TYPE) && r.language == LANGUAGE_EN_US &&
                                           retired.count(r.name.number);
                                  }),
                   resources->end());
  std::set<uint16_t> used;
  for (const Resource &r : *resources)
    if (!r.type.named && r.type.number == RT_ICON_TYPE && !r.name.named) used.insert(r.name.number);
  std::vector<uint16_t> ids;
  for (uint32_t id = 1; ids.size() < icon.images.size() && id <= 0xFFFF; ++id)
    if (!used.count(static_cast<uint16_t>(id))) ids.push_back(static_cast<uint16_t>(id));
  Resource group_resource;
  if (ids.size() != icon.images.size() || !icon_group_bytes(icon.images, ids, &group_resource.data)) {
    *problem = "icon file: " + std::to_string(icon.images.size()) + " images do not fit the stub's free icon ids";
    return false;
  }
  for (size_t k = 0; k < ids.size(); ++k) {
    Resource image;
    image.type = resource_number(RT_ICON_TYPE);
    image.name = resource_number(ids[k]);
    image.language = LANGUAGE_EN_US;
    image.data = icon.images[k].data;
    resources->push_back(image);
  }
  group_resource.type = resource_number(RT_GROUP_ICON_TYPE);
  group_resource.name = resource_number(STUB_ICON_GROUP_ID);
  group_resource.language = LANGUAGE_EN_US;
  resources->push_back(group_resource);
  return true;
}

Branding brand(const std::vector<uint8_t> &stub, const BrandingRequest &request) {
  Branding result;
  ResourceList list = read_image_resources(stub.data(), stub.size());
  if (!list.ok) {
    result.problem = "stub: " + list.problem;
    return result;
  }
  if (request.has_icon) {
    const IconRead icon = read_icon_source(request.icon.data(), request.icon.size());
    if (!icon.ok) {
      result.problem = icon.problem;
      return result;
    }
    result.notes = icon.notes;
    if (!replace_icon(icon, &list.resources, &result.problem)) return result;
  }
  if (request.has_version) {
    VersionResource version = make_version_resource(request.version);
    if (!version.ok) {
      result.problem = version.problem;
      return result;
    }
    std::vector<Resource> &r = list.resources;
    r.erase(std::remove_if(r.begin(), r.end(),
                           [](const Resource &x) { return !x.type.named && x.type.number == RT_VERSION_TYPE; }),
            r.end());
    Resource resource;
    resource.type = resource_number(RT_VERSION_TYPE);
    resource.name = resource_number(VERSION_RESOURCE_ID);
    resource.language = LANGUAGE_EN_US;
    resource.data.swap(version.data);
    r.push_back(resource);
  }
  ImageRewrite rewritten = replace_resources(stub, list.resources);
  if (!rewritten.ok) {
    result.problem = rewritten.problem;
    return result;
  }
  // The tool finds the record by its scrambled signature and wants exactly
  // one; an image or a text that holds the signature would make a second.
  size_t hits_before = 0, hits_after = 0;
  find_record(stub.data(), stub.size(), &hits_before);
  find_record(rewritten.image.data(), rewritten.image.size(), &hits_after);
  if (hits_after != hits_before) {
    result.problem = "the icon or the version information holds the install record's signature";
    return result;
  }
  result.stub.swap(rewritten.image);
  result.ok = true;
  return result;
}

// Group 1020's entries, each image present and of the size its entry gives.
bool read_icon_group(const std::vector<Resource> &resources, BrandingReport *report) {
  const Resource *group = find_resource(resources, RT_GROUP_ICON_TYPE, STUB_ICON_GROUP_ID, LANGUAGE_EN_US);
  if (!group) return true;
  report->has_icon_group = true;
  IconGroup parsed = parse_icon_group(group->data.data(), group->data.size());
  if (!parsed.ok) {
    report->problem = "icon group 1020: " + parsed.problem;
    return false;
  }
  report->icon_images = parsed.entries;
  for (const IconGroupEntry &e : parsed.entries) {
    const Resource *image = find_resource(resources, RT_ICON_TYPE, e.id, LANGUAGE_EN_US);
    if (!image || image->data.size() != e.bytes) {
      report->problem =
          "icon group 1020: image " + std::to_string(e.id) +
          (image ? " is " + std::to_string(image->data.size()) + " bytes, its entry says " + std::to_string(e.bytes)
                 : " is missing");
      return false;
    }
  }
  return true;
}

BrandingReport read_report(const uint8_t *image, size_t size) {
  BrandingReport report;
  const ResourceList list = read_image_resources(image, size);
  if (!list.ok) {
    report.problem = list.problem;
    return report;
  }
  if (!read_icon_group(list.resources, &report)) return report;
  const Resource *version = find_resource(list.resources, RT_VERSION_TYPE, VERSION_RESOURCE_ID, LANGUAGE_EN_US);
  for (const Resource &r : list.resources)
    if (!version && !r.type.named && r.type.number == RT_VERSION_TYPE) version = &r;
  if (version) {
    report.has_version = true;
    report.version = read_version_resource(version->data.data(), version->data.size());
    if (!report.version.ok) {
      report.problem = report.version.problem;
      return report;
    }
  }
  report.ok = true;
  return report;
}

}  // namespace

Branding brand_stub(const std::vector<uint8_t> &stub, const BrandingRequest &request) {
  try {
    if (!request.has_icon && !request.has_version) {
      Branding result;
      result.stub = stub;
      result.ok = true;
      return result;
    }
    return brand(stub, request);
  } catch (const std::bad_alloc &) {
    Branding result;
    result.problem = "out of memory while branding the stub";
    return result;
  }
}

BrandingReport read_branding(const uint8_t *image, size_t size) {
  try {
    return read_report(image, size);
  } catch (const std::bad_alloc &) {
    BrandingReport report;
    report.problem = "out of memory while reading the resources";
    return report;
  }
}
