#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>
#include <plist/plist.h>

#include <memory>

namespace platform {
namespace {

// Seconds between 1970-01-01 and 2001-01-01, the epoch of plist dates.
constexpr qint64 kPlistEpochOffset = 978307200;

struct PlistFree {
  void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

QVariant toVariant(plist_t node, int depth) {
  if (!node || depth > 256) return {};
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return QVariant(b != 0);
    }
    case PLIST_UINT: {
      uint64_t v = 0;
      plist_get_uint_val(node, &v);
      // This libplist keeps negative integers as their two's-complement pattern.
      return QVariant(static_cast<qint64>(v));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return QVariant(d);
    }
    case PLIST_STRING: {
      char* s = nullptr;
      plist_get_string_val(node, &s);
      QString text = QString::fromUtf8(s ? s : "");
      free(s);
      return QVariant(text);
    }
    case PLIST_DATA: {
      char* d = nullptr;
      uint64_t len = 0;
      plist_get_data_val(node, &d, &len);
      QByteArray bytes(d ? d : "", static_cast<qsizetype>(d ? len : 0));
      free(d);
      return QVariant(bytes);
    }
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      const qint64 ms = (kPlistEpochOffset + sec) * 1000 + usec / 1000;
      return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
    }
    case PLIST_ARRAY: {
      QVariantList list;
      const uint32_t n = plist_array_get_size(node);
      for (uint32_t i = 0; i < n; ++i) list.append(toVariant(plist_array_get_item(node, i), depth + 1));
      return list;
    }
    case PLIST_DICT: {
      QVariantMap map;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      while (it) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (!key) break;
        map.insert(QString::fromUtf8(key), toVariant(value, depth + 1));
        free(key);
      }
      free(it);
      return map;
    }
    default:
      return {};
  }
}

plist_t fromVariant(const QVariant& v, bool& ok) {
  switch (v.typeId()) {
    case QMetaType::Bool: return plist_new_bool(v.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
      return plist_new_uint(static_cast<uint64_t>(v.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
      return plist_new_uint(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: return plist_new_real(v.toDouble());
    case QMetaType::QString: return plist_new_string(v.toString().toUtf8().constData());
    case QMetaType::QByteArray: {
      const QByteArray b = v.toByteArray();
      return plist_new_data(b.constData(), static_cast<uint64_t>(b.size()));
    }
    case QMetaType::QDateTime: {
      const qint64 ms = v.toDateTime().toMSecsSinceEpoch() - kPlistEpochOffset * 1000;
      const qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
      return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>((ms - sec * 1000) * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
      plist_t array = plist_new_array();
      for (const QVariant& item : v.toList()) {
        plist_t child = fromVariant(item, ok);
        if (!ok) {
          plist_free(array);
          return nullptr;
        }
        plist_array_append_item(array, child);
      }
      return array;
    }
    case QMetaType::QVariantMap: {
      plist_t dict = plist_new_dict();
      const QVariantMap map = v.toMap();
      for (auto it = map.cbegin(); it != map.cend(); ++it) {
        plist_t child = fromVariant(it.value(), ok);
        if (!ok) {
          plist_free(dict);
          return nullptr;
        }
        plist_dict_set_item(dict, it.key().toUtf8().constData(), child);
      }
      return dict;
    }
    default:
      ok = false;
      return nullptr;
  }
}

}  // namespace

PropertyList::Status PropertyList::fromBytes(const QByteArray& bytes, QVariantMap& out) {
  out.clear();
  if (bytes.isEmpty()) return Status::Malformed;
  plist_t root = nullptr;
  plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
  PlistPtr owner(root);
  if (!root) return Status::Malformed;
  if (plist_get_node_type(root) != PLIST_DICT) return Status::NotADictionary;
  out = toVariant(root, 0).toMap();
  return Status::Ok;
}

PropertyList::Status PropertyList::read(const QString& path, QVariantMap& out) {
  out.clear();
  QFile file(path);
  if (!file.exists()) return Status::Missing;
  if (!file.open(QIODevice::ReadOnly)) return Status::Unreadable;
  // Preference files are small; refuse anything absurd rather than loading it whole.
  if (file.size() > 64 * 1024 * 1024) return Status::Malformed;
  return fromBytes(file.readAll(), out);
}

PropertyList::Status PropertyList::toXml(const QVariantMap& map, QByteArray& out) {
  bool ok = true;
  PlistPtr root(fromVariant(QVariant(map), ok));
  if (!ok || !root) return Status::WriteFailed;
  char* xml = nullptr;
  uint32_t len = 0;
  plist_to_xml(root.get(), &xml, &len);
  if (!xml) return Status::WriteFailed;
  out = QByteArray(xml, static_cast<qsizetype>(len));
  plist_to_xml_free(xml);
  return Status::Ok;
}

PropertyList::Status PropertyList::write(const QString& path, const QVariantMap& map) {
  QByteArray xml;
  if (toXml(map, xml) != Status::Ok) return Status::WriteFailed;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return Status::WriteFailed;
  if (file.write(xml) != xml.size()) {
    file.cancelWriting();
    return Status::WriteFailed;
  }
  return file.commit() ? Status::Ok : Status::WriteFailed;
}

}  // namespace platform
