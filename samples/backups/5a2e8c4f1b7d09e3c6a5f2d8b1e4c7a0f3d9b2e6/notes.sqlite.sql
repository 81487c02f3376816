-- Notes of Sofia's iPhone 5 (iOS 6.1.4), in Spanish and English. One note was deleted. This phone
-- was restored from an older one, so the backup also carries a notes.db (see notes.db.sql); the
-- Core Data database is the one in use.
-- Dates are seconds since 2001-01-01 UTC.

BEGIN;
INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZCONTAINSCJK, ZCONTENTTYPE, ZDELETEDFLAG, ZEXTERNALFLAGS,
  ZEXTERNALSERVERINTID, ZINTEGERID, ZISBOOKKEEPINGENTRY, ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE,
  ZAUTHOR, ZGUID, ZSERVERID, ZSUMMARY, ZTITLE) VALUES
(1, 3, 1, 0, 0, 0, 0, -4294967296, 1, 0, 1, 1, 383914800, 383914800, NULL,
 '0D7C3B58-E2A4-4F61-9B87-5A1E6C0F3D92', NULL,
 'Patatas, huevos, cebolla, aceite de oliva', 'Tortilla española'),
(2, 3, 1, 0, 0, 0, 0, -4294967296, 2, 0, 2, 1, 389030727, 389030727, NULL,
 '7B2E9F16-0C5D-4A38-8E41-D3F6A9B2C057', NULL,
 'Lunes: piscina 18h Miércoles: inglés', 'Horario de los niños'),
(3, 3, 1, 0, 0, 0, 0, -4294967296, 3, 0, 3, 1, 391733233, 391733233, NULL,
 'A4F0C862-3B1E-4D97-A6C2-8E5B0D7F1A39', NULL,
 'Flight IB3166 Madrid → London, seat 14C', 'Viaje a Londres ✈️'),
(4, 3, 1, 0, 0, 0, 0, -4294967296, 4, 0, 4, 1, 396018855, 396018855.125, NULL,
 'C91D5E07-6A2F-48B3-9D04-F7E1B3C8A265', NULL,
 'Ahorro para el coche: 3.200 €', 'Presupuesto julio'),
(5, 3, 1, 0, 0, 0, 0, -4294967296, 5, 0, 5, 1, 396018855, 396018855, NULL,
 '5E38A0D4-B7C1-4F26-8A93-1D6E2C0B7F48', NULL,
 'Nº de cuenta ES91 2100 0418', 'Datos del banco');

INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZEXTERNALCONTENTREF, ZEXTERNALREPRESENTATION) VALUES
(1, 4, 1, 1, 'Tortilla española<div><br></div><div>Patatas, huevos, cebolla, aceite de oliva</div><div>Freír a fuego lento 20 min</div><div>Darle la vuelta con un plato – ¡con cuidado!</div>', NULL, NULL),
(2, 4, 1, 2, 'Horario de los niños<div>Lunes: piscina 18h</div><div>Miércoles: inglés</div><div>Viernes: fútbol (Álvaro)</div>', NULL, NULL),
(3, 4, 1, 3, 'Viaje a Londres ✈️<div>Flight IB3166 Madrid → London, seat 14C</div><div>Hotel near King’s Cross, ref. 88K2-QX</div><div>Oyster card 🚇 + adapter (UK plug)</div>', NULL, NULL),
(4, 4, 1, 4, 'Presupuesto julio<div>Ahorro para el coche: 3.200 €</div><div>Alquiler: 750 €</div><div>Luz y agua: ~95 €</div>', NULL, NULL),
(5, 4, 1, 5, 'Datos del banco<div>Nº de cuenta ES91 2100 0418 4502 0005 1332</div><div>PIN tarjeta: ya no lo apunto aquí 😅</div>', NULL, NULL);

UPDATE Z_PRIMARYKEY SET Z_MAX = 5 WHERE Z_ENT IN (3, 4);
COMMIT;

-- Deleted note: its rows stay in free space because secure_delete is off.
BEGIN;
DELETE FROM ZNOTE WHERE Z_PK = 5;
DELETE FROM ZNOTEBODY WHERE Z_PK = 5;
COMMIT;
