#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace orbalis::test {

// A certificate authority, a broker certificate for 127.0.0.1 and localhost
// and a client certificate, all signed by it, made with openssl in `folder`:
// ca.crt, server.crt/.key, client.crt/.key. Empty on success, else what
// openssl said.
inline QString makeTlsFiles(const QString &folder)
{
    const QDir dir(folder);
    const auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    const auto run = [&](const QStringList &args) -> QString {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QStringLiteral("openssl ") + args.join(u' ') + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return {};
    };
    const QStringList ec{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                         QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    if (const QString e = run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec
                              + QStringList{QStringLiteral("-keyout"), path("ca.key"), QStringLiteral("-out"), path("ca.crt"),
                                            QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                                            QStringLiteral("/CN=Orbalis test CA")});
        !e.isEmpty())
        return e;
    const struct {
        const char *name;
        const char *subject;
        const char *extensions;
    } leaves[] = {
        {"server", "/CN=localhost", "subjectAltName=IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\n"},
        {"client", "/CN=orbalis-gateway", "extendedKeyUsage=clientAuth\n"},
    };
    for (const auto &leaf : leaves) {
        const QString name = QString::fromLatin1(leaf.name);
        QFile ext(dir.filePath(name + QStringLiteral(".ext")));
        if (!ext.open(QIODevice::WriteOnly) || ext.write(leaf.extensions) < 0)
            return QStringLiteral("cannot write ") + ext.fileName();
        ext.close();
        if (const QString e = run(QStringList{QStringLiteral("req")} + ec
                                  + QStringList{QStringLiteral("-keyout"), dir.filePath(name + QStringLiteral(".key")),
                                                QStringLiteral("-out"), dir.filePath(name + QStringLiteral(".csr")),
                                                QStringLiteral("-subj"), QString::fromLatin1(leaf.subject)});
            !e.isEmpty())
            return e;
        if (const QString e = run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                                   dir.filePath(name + QStringLiteral(".csr")), QStringLiteral("-CA"), path("ca.crt"),
                                   QStringLiteral("-CAkey"), path("ca.key"), QStringLiteral("-CAcreateserial"),
                                   QStringLiteral("-out"), dir.filePath(name + QStringLiteral(".crt")),
                                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), ext.fileName()});
            !e.isEmpty())
            return e;
    }
    return {};
}

} // namespace orbalis::test
