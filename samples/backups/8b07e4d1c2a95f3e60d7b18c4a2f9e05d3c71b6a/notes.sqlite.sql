-- Notes of Marc's iPad (iOS 6.1.3), written in French, Japanese and Chinese, with emoji. One note
-- was edited and two deleted, so their older rows lie in the pages' free space.
-- Dates are seconds since 2001-01-01 UTC.

BEGIN;
INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZCONTAINSCJK, ZCONTENTTYPE, ZDELETEDFLAG, ZEXTERNALFLAGS,
  ZEXTERNALSERVERINTID, ZINTEGERID, ZISBOOKKEEPINGENTRY, ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE,
  ZAUTHOR, ZGUID, ZSERVERID, ZSUMMARY, ZTITLE) VALUES
(1, 3, 1, 0, 0, 0, 0, -4294967296, 1, 0, 1, 1, 382270800, 382270800, NULL,
 '9F0A3D62-B5C1-4E87-8A24-D1C6E3B07F59', NULL,
 '200 g de farine, 3 œufs, ½ litre de lait', 'Recette des crêpes 🥞'),
(2, 3, 1, 1, 0, 0, 0, -4294967296, 2, 0, 2, 1, 383914800, 383914800, NULL,
 '3A8E1C57-4D92-4B0F-96C3-E7F5A2D81B60', NULL,
 '1日目：浅草寺、スカイツリー', '東京旅行の予定'),
(3, 3, 1, 1, 0, 0, 0, -4294967296, 3, 0, 3, 1, 383914800, 389030727, NULL,
 'D25B9F04-1E6A-4C38-B7D0-3F8A6C2E9D15', NULL,
 '你好 nǐ hǎo；谢谢 xièxie', '中文学习笔记'),
(4, 3, 1, 0, 0, 0, 0, -4294967296, 4, 0, 4, 1, 389030727, 389030727, NULL,
 '67C0E4A1-8F3D-4921-AB56-0D9E7B4C2F83', NULL,
 'Code du portail : 2580', 'Appartement à Nice'),
(5, 3, 1, 0, 0, 0, 0, -4294967296, 5, 0, 5, 1, 391733233, 391733233.75, NULL,
 'B81F7D3C-2A60-4E95-8C14-6E2B9A0D5F37', NULL,
 'Relancer Léa ✅ Réserver le vol ✈️', 'À faire ce week-end 📝'),
(6, 3, 1, 1, 0, 0, 0, -4294967296, 6, 0, 6, 1, 391768200, 391768200, NULL,
 'E4096B2D-7C3F-41A8-9D5E-1B8F0C6A3E72', NULL,
 '早上九点在咖啡馆见面 ☕', '约会 💕');

INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZEXTERNALCONTENTREF, ZEXTERNALREPRESENTATION) VALUES
(1, 4, 1, 1, 'Recette des crêpes 🥞<div><br></div><div>200 g de farine, 3 œufs, ½ litre de lait</div><div>1 pincée de sel, 2 c. à soupe de beurre fondu</div><div>Laisser reposer 1 heure. Déguster avec du sucre ou du Grand Marnier !</div>', NULL, NULL),
(2, 4, 1, 2, '東京旅行の予定<div><br></div><div>1日目：浅草寺、スカイツリー</div><div>2日目：築地市場で寿司 🍣、それから秋葉原</div><div>3日目：箱根の温泉 ♨️</div>', NULL, NULL),
(3, 4, 1, 3, '中文学习笔记<div>你好 nǐ hǎo</div><div>谢谢 xièxie</div>', NULL, NULL),
(4, 4, 1, 4, 'Appartement à Nice<div>Code du portail : 2580</div><div>Clé chez Mme Bérénice, 2e étage</div>', NULL, NULL),
(5, 4, 1, 5, 'À faire ce week-end 📝<div>Relancer Léa ✅</div><div>Réserver le vol ✈️</div><div>Acheter des piles pour la télécommande</div><div>Arroser les plantes 🌱</div>', NULL, NULL),
(6, 4, 1, 6, '约会 💕<div>早上九点在咖啡馆见面 ☕</div><div>带上那本书《三体》</div>', NULL, NULL);

UPDATE Z_PRIMARYKEY SET Z_MAX = 6 WHERE Z_ENT IN (3, 4);
COMMIT;

-- April: more words in the Chinese notes.
BEGIN;
UPDATE ZNOTE SET Z_OPT = 2, ZMODIFICATIONDATE = 389030727, ZSUMMARY = '你好 nǐ hǎo；谢谢 xièxie；再见 zàijiàn'
 WHERE Z_PK = 3;
UPDATE ZNOTEBODY SET Z_OPT = 2, ZCONTENT = '中文学习笔记<div>你好 nǐ hǎo — bonjour</div><div>谢谢 xièxie — merci</div><div>再见 zàijiàn — au revoir</div><div>对不起 duìbuqǐ — pardon</div><div>我不明白 wǒ bù míngbai — je ne comprends pas 🤔</div>'
 WHERE Z_PK = 3;
COMMIT;

-- Deleted notes: their rows stay in free space because secure_delete is off.
BEGIN;
DELETE FROM ZNOTE WHERE Z_PK = 4;
DELETE FROM ZNOTEBODY WHERE Z_PK = 4;
COMMIT;
BEGIN;
DELETE FROM ZNOTE WHERE Z_PK = 6;
DELETE FROM ZNOTEBODY WHERE Z_PK = 6;
COMMIT;
